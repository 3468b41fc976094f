#pragma once

#include "members/Member.h"

#include <QString>

// The enrolment form as the counter opens it: modally, on a member record, to enrol a new member
// or to modify the one shown.
class MemberEditor
{
public:
    virtual ~MemberEditor() = default;

    // Opens the form in create mode (on its own record, emptied) or in update mode (on `amember`,
    // edited in place) with the counter's seller code; true when the platform accepted the member.
    virtual bool execute(Member& amember, SaveMode typeappel, const QString& codevendeur) = 0;
    // The record the form edited last: its own in create mode, the caller's in update mode.
    virtual const Member& edited() const = 0;
};
