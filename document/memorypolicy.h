#pragma once

#include <cstddef>

// How the editor's large texts take memory from the system and give it back.

// Asks for the 2 MiB-aligned part of a large allocation not yet written to
// be backed by huge pages. A whole document's lines are tens of megabytes
// of fresh memory, and on a virtual machine taking them a 4 KiB page fault
// at a time costs about 3 ms a megabyte, more than building the lines;
// with huge pages it is a fiftieth of that. Only advice: where the system
// keeps huge pages off (or the memory is already in use) nothing changes.
void adviseHugePages(const void *data, std::size_t bytes);

// Makes every allocation of a megabyte or more a mapping of its own, given
// back to the system when it is freed. The C library otherwise raises that
// bound as large blocks are freed, up to 32 MiB, after which a text's
// blocks and line lists land among small live allocations, and after a few
// conversions the process keeps texts' worth of memory it no longer uses.
// Called once, before the first document.
void keepLargeAllocationsApart();
