// The entry the program looks up when it loads the settings library. The
// library holds the store and Qt Core, nothing of the program's.
#include "profile_store.h"
#include "qt_profile_store.h"

extern "C" __attribute__((visibility("default"))) const ProfileServices* mojiro_profile_services()
{
    return &QtProfileStore();
}
