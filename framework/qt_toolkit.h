#pragma once

struct ToolkitServices;

// The toolkit's services on Qt.
const ToolkitServices& QtToolkit();
