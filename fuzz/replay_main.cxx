// Runs a fuzz target's entry function once on each file given, or on every
// file in each folder given (not recursing), as libFuzzer would replay a
// corpus.  Used by the ordinary build, where there is no libFuzzer: a crash
// or a failed check aborts, and the exit status is 0 only when every input
// went through.  A missing folder is skipped, so optional corpora may be
// named unconditionally.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace
{
bool is_dir(const std::string& p)
{
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_file(const std::string& p)
{
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::string> files_in(const std::string& dir)
{
  std::vector<std::string> out;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name.empty() || name[0] == '.') continue;
      const std::string path = dir + "/" + name;
      if (is_file(path)) out.push_back(path);
    }
    ::closedir(d);
  }
  std::sort(out.begin(), out.end());
  return out;
}
}  // namespace

int main(int argc, char** argv)
{
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<std::string> inputs;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (is_dir(arg)) {
      const std::vector<std::string> more = files_in(arg);
      inputs.insert(inputs.end(), more.begin(), more.end());
    } else if (is_file(arg)) {
      inputs.push_back(arg);
    } else {
      std::printf("skipped (absent): %s\n", arg.c_str());
    }
  }
  for (const std::string& path : inputs) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
      std::printf("cannot read %s\n", path.c_str());
      return 1;
    }
    std::printf("replaying %s (%zu bytes)\n", path.c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("%zu inputs replayed\n", inputs.size());
  return 0;
}
