#pragma once

#include <QString>

// The French text for a system error number of a file operation ("Plus de place sur le
// disque."), so that no English text of the C library reaches the user.
namespace SystemError {

QString text(int error);

} // namespace SystemError
