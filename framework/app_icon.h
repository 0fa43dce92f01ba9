#pragma once

#include <QIcon>

// The registered application icon (see app_icon_resource.h). Null when
// nIDResource is not it, when the build carries no image or the toolkit
// cannot draw it (the SVG image plugin is a separate package); windows then
// simply show none.
QIcon LoadAppIcon(int nIDResource);
