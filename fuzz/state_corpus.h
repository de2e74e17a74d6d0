// What the fuzz targets of the saved-state loaders share: seeding a corpus
// folder with valid states, and damaging a valid state the way a truncated
// or altered pickle would be.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdio>
#include <string>

#include "byte_reader.h"

// For LLVMFuzzerInitialize: writes seed-state-0 ... seed-state-7 into every
// folder among the arguments (libFuzzer's corpus folders), each the state
// makeState(seed) gives behind an even first byte, which the targets read
// as "load the rest as it is".
template <class MakeState>
void WriteSeedStates(int argc, char** argv, MakeState makeState) {
  for (int i = 1; i < argc; ++i) {
    struct stat info {};
    const char* dir = argv[i];
    if (dir[0] == '-' || stat(dir, &info) != 0 || !S_ISDIR(info.st_mode)) continue;
    for (int seed = 0; seed < 8; ++seed) {
      const std::string state = std::string(1, '\0') + makeState(seed);
      const std::string path = std::string(dir) + "/seed-state-" + std::to_string(seed);
      if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(state.data(), 1, state.size(), f);
        std::fclose(f);
      }
    }
  }
}

// Up to 8 bytes of `state` changed at places the input chooses, then, one
// time in four, the state cut short.
inline void DamageState(ByteReader& in, std::string* state) {
  const int edits = in.Below(9);
  for (int k = 0; k < edits && !state->empty(); ++k) {
    const std::size_t at = (static_cast<std::size_t>(in.Byte()) << 8 | in.Byte()) % state->size();
    (*state)[at] = static_cast<char>((*state)[at] ^ (in.Byte() | 1));
  }
  if (in.Below(4) == 0 && !state->empty()) state->resize(in.Byte() * state->size() / 256);
}
