// Answers as Windows gives them where Wine answers otherwise, put in place
// through the seam (seam.h) by name: by the tests themselves, and by
// FullUninstallCheckSeam.exe at its start from the environment variable
// FULLCHECK_SEAM (names separated by commas). Each answer says which Windows
// behaviour it stands for and where that is documented (windows_answers.cpp).
//
// Answers of different calls can be combined; two answers of the same call
// cannot (the later one wins). SeamRestoreAll removes them all.
#pragma once

// Puts the answer called name in place. False for an unknown name.
bool InstallWindowsAnswer(const char* name);

// Puts in place every answer that names lists, separated by commas; an
// empty list puts none. False, with the unknown name in unknown (a buffer of
// unknownSize characters) when a name is not in the catalogue; the answers
// before it are in place then.
bool InstallWindowsAnswers(const char* names, char* unknown, unsigned unknownSize);
