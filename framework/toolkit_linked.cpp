#include "profile_store.h"
#include "qt_profile_store.h"
#include "qt_toolkit.h"
#include "toolkit.h"

const ToolkitServices* AfxGetToolkit() { return &QtToolkit(); }
const ProfileServices* AfxGetProfileStore() { return &QtProfileStore(); }
