#pragma once

#include <QIcon>

// Icon resource 128, the application icon, drawn from res/mojiro.svg. Null
// when the build found no icon or the toolkit cannot draw SVG (the SVG image
// plugin is a separate package); windows then simply show none.
QIcon LoadAppIcon(int nIDResource);
