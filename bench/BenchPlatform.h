#pragma once

#include <QString>

class LocalPlatform;
class QTemporaryDir;

// The build tree that holds this program: quilba, quilba-platform and the bare Qt program are found
// from it (QUILBA_TEST_BIN is set to it unless given).
QString buildtree();
// Checks that the local platform started and points the work folder's quilba.ini at it; says why
// on stderr otherwise.
bool prepareplatform(const LocalPlatform& platform, const QTemporaryDir& work);
