#pragma once

// The application icon's resource identifier and the image it is drawn from,
// registered once at start by the program. Kept apart from the drawing,
// which needs the widget toolkit, so that the program registers it before
// the toolkit is loaded.
void SetAppIconResource(int nIDResource, const char* pszImagePath);

// The registered image for this identifier, or null when it is not the
// registered icon (or none is).
const char* FindAppIconImage(int nIDResource);
