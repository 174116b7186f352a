# KESTRO_SANITIZE builds every target (libraries, tests, benchmarks, Python
# modules) with AddressSanitizer and UndefinedBehaviorSanitizer; any undefined
# behaviour aborts instead of printing and carrying on.
option(KESTRO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KESTRO_SANITIZE)
  set(KESTRO_SANITIZE_FLAGS
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${KESTRO_SANITIZE_FLAGS})
  add_link_options(${KESTRO_SANITIZE_FLAGS})
endif()
