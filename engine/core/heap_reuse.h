#pragma once

// Keeps large freed blocks in the process's heap for the next picture of the
// same size, rather than giving them back to the system at once.

namespace flickbook {

// A render makes and drops many pictures of a few megabytes each (a 1920 px
// photograph takes about 9 MB). By default the C library maps such blocks
// afresh and, as its threshold adapts, still gives freed heap memory back
// whenever a little lies free at the top, so new pictures keep being paid
// in page faults, which on a virtual machine cost more than the decoding
// and scaling that fill them. Blocks of up to 32 MiB are taken from the heap
// from the start, and the heap gives memory back only once 64 MiB or more
// lie free at its top. All threads share that one heap: with a heap per
// thread, a picture made on a worker came from memory of that worker's own,
// and was paid in page faults again. Where the C library cannot do this,
// nothing changes.
// Called once at start, before other threads run.
void reuseFreedPictureMemory();

} // namespace flickbook
