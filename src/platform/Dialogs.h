#pragma once

#include <QString>

// Every message box of the program goes through this seam: the application shows real boxes,
// tests script the answers and read the exact texts.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // Information: one OK button.
    virtual void information(const QString& text) = 0;
    // Error: OK and Cancel; true for OK.
    virtual bool error(const QString& text) = 0;
    // Question (confirmation): Yes and No; true for Yes.
    virtual bool question(const QString& text) = 0;
    // Warning: Yes and No; true for Yes.
    virtual bool warning(const QString& text) = 0;
    // The general error display: an error no handler caught, one OK button.
    virtual void exception(const QString& text) = 0;
};
