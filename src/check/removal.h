// Removal of the host application's per-user data after the user's Yes.
//
// Only two things are ever deleted: everything inside the data folder
// "Corvanta\CorvantaMarbelQuint" in the roaming application-data folder with
// that folder itself, and "Meine Konten.mqd" in Documents. Whatever the
// registry, the paths, the links or a program racing the removal hold,
// nothing outside them.
#pragma once

// Removes the data folder, then the account file. Failures are not
// reported: what cannot be deleted stays.
void RemoveUserData();
