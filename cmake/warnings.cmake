# Warning flags for every target; KESTRO_WERROR turns them into errors
# (scripts/build.sh turns it on, so local and CI builds are equally strict).
option(KESTRO_WERROR "Treat compiler warnings as errors" OFF)
add_compile_options(-Wall -Wextra -Wshadow)
if(KESTRO_WERROR)
  add_compile_options(-Werror)
endif()
