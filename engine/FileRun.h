// The file-to-file run shared by every front end: reading and coding overlap writing,
// the key restarts at every kFileChunk bytes of the input's offset, and a watcher on
// another thread sees the progress and can cancel.
#pragma once

#include "RunProgress.h"
#include "coder/IncrementKey.h"
#include "framework/File.h"

namespace travok {

// Bytes a run reads, codes and writes at a time: whole key chunks, so that every block
// starts at a key restart, and few enough that a cancel is seen within milliseconds.
constexpr std::size_t kRunBlock = 105 * kFileChunk;  // about 1 MiB

// How the key walks over the input: restarting at every kFileChunk bytes of its offset,
// as a file coded file to file, or on without a break over the whole input, as a text.
enum class KeyWalk { FileChunks, Continuous };

// Codes input into output: reads and codes on the calling thread while a thread of its
// own writes. Returns false when progress.cancel stopped the run, true when the input
// was coded to its end. A failed read or write is raised here, as CFileException, once
// both threads have stopped; what was written so far stays in output.
bool CodeFile(const KeyCoder& coder, CFile& input, CFile& output, RunProgress& progress,
              KeyWalk walk = KeyWalk::FileChunks);

}  // namespace travok
