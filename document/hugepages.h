#pragma once

#include <cstddef>

// Asks for the 2 MiB-aligned part of a large allocation not yet written to
// be backed by huge pages. A whole document's lines are tens of megabytes
// of fresh memory, and on a virtual machine taking them a 4 KiB page fault
// at a time costs about 3 ms a megabyte, more than building the lines;
// with huge pages it is a fiftieth of that. Only advice: where the system
// keeps huge pages off (or the memory is already in use) nothing changes.
void adviseHugePages(const void *data, std::size_t bytes);
