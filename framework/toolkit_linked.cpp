#include "qt_toolkit.h"
#include "toolkit.h"

const ToolkitServices* AfxGetToolkit() { return &QtToolkit(); }
