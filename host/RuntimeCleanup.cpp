// The module carries its own copy of the C++ runtime. When the module is loaded, that runtime
// reserves an emergency pool for exceptions thrown while memory is short, with the C library's
// malloc; the runtime never gives it back, so each unload of the module would lose it. Give the
// pool back (to the same allocator) when the module is unloaded. Linked into the module only.
namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace {

struct RuntimeCleanup {
  RuntimeCleanup() = default;
  RuntimeCleanup(const RuntimeCleanup&) = delete;
  RuntimeCleanup& operator=(const RuntimeCleanup&) = delete;
  ~RuntimeCleanup() { __gnu_cxx::__freeres(); }
};

RuntimeCleanup gRuntimeCleanup;

}  // namespace
