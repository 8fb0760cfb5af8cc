#pragma once

// Keeps large freed blocks in the process's heap for the next picture of the
// same size, rather than giving them back to the system at once.

namespace flickbook {

// A render makes and drops many pictures of a few megabytes each. By default
// the C library maps each such block afresh and unmaps it when freed, so
// every new picture is paid again in page faults, which on a virtual machine
// cost more than the decoding and scaling that fill it (a 1920 px photograph
// takes about 9 MB). Blocks of up to 32 MB are taken from the heap instead,
// and the heap gives memory back only once 64 MB or more lie free at its top.
// Called once at start, before other threads run.
void reuseFreedPictureMemory();

} // namespace flickbook
