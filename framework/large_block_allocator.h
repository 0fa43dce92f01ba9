#pragma once

// Serves the converter's large buffers from whole pages mapped for them,
// with transparent huge pages where the kernel offers them, and trims them in
// place. Fresh pages then cost a fault per 2 MiB instead of per 4 KiB, which
// is most of the time a large conversion spends outside its own loops.
void InstallLargeBlockAllocator();
