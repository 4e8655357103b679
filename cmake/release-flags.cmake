# The compiler and linker flags that every build gets, so that the packages
# are hardened and the same commit always gives the same bytes. Included by
# the top CMakeLists.txt before any target.
#
# - Build paths: debug information and __FILE__ name the source folder as
#   "." and the build folder as "build", wherever the two are.
# - Linux: the hardening that Debian gives its own packages, as
#   `dpkg-buildflags` reports it with every hardening feature on
#   (DEB_BUILD_MAINT_OPTIONS=hardening=+all): _FORTIFY_SOURCE, the stack
#   protector, format checks, read-only relocations and immediate binding;
#   Debian's compilers make position-independent executables by default. On
#   top, where the compiler has them, the stack clash protection and the
#   control-flow protection (-fcf-protection: indirect branch tracking and
#   shadow stack on x86) that dpkg-buildflags adds from Debian 13 on. The
#   programs' own code carries it, but the linked programs are not marked
#   for it: the linker marks a program only when every part is, and Debian
#   12's C start files (crt1.o, crti.o, crtn.o) carry no marks, their _init
#   (called through a pointer) no branch target either, so the mark would
#   be untrue. The optimisation and debug flags stay the build type's. Left
#   out when
#   dpkg-buildflags is missing (not a Debian system), or with
#   -DCORVANE_DEBIAN_BUILDFLAGS=OFF.
# - Windows: address space layout randomisation (high-entropy on 64-bit)
#   and data execution prevention marked in the programs' headers, and no
#   link time in them.

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  # GCC tries the last of these first, so the build folder wins when it lies
  # inside the source folder.
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                      -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
endif()

option(CORVANE_DEBIAN_BUILDFLAGS "Build with the hardening flags of dpkg-buildflags" ON)
if(NOT WIN32 AND CORVANE_DEBIAN_BUILDFLAGS AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  find_program(CORVANE_DPKG_BUILDFLAGS dpkg-buildflags)
  if(CORVANE_DPKG_BUILDFLAGS)
    set(corvane_flags)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${CORVANE_DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
      separate_arguments(flags UNIX_COMMAND "${flags}")
      # The build type chooses optimisation and debug information; the
      # build paths are mapped above.
      list(FILTER flags EXCLUDE REGEX "^-(O.*|g.*|ffile-prefix-map=.*|fdebug-prefix-map=.*)$")
      set(corvane_${kind} ${flags})
      list(APPEND corvane_flags ${flags})
    endforeach()
    # _FORTIFY_SOURCE works only with optimisation, and says so in a
    # warning without it.
    foreach(flag IN LISTS corvane_CPPFLAGS)
      if(flag MATCHES "^-D_FORTIFY_SOURCE")
        add_compile_options($<$<NOT:$<CONFIG:Debug>>:${flag}>)
      else()
        add_compile_options(${flag})
      endif()
    endforeach()
    include(CheckCXXCompilerFlag)
    check_cxx_compiler_flag(-fstack-clash-protection CORVANE_HAS_STACK_CLASH_PROTECTION)
    check_cxx_compiler_flag(-fcf-protection CORVANE_HAS_CF_PROTECTION)
    foreach(flag stack-clash-protection cf-protection)
      string(MAKE_C_IDENTIFIER "CORVANE_HAS_${flag}" has)
      string(TOUPPER ${has} has)
      if(${has} AND NOT "-f${flag}" IN_LIST corvane_CXXFLAGS)
        list(APPEND corvane_CXXFLAGS -f${flag})
        list(APPEND corvane_flags -f${flag})
      endif()
    endforeach()
    add_compile_options(${corvane_CXXFLAGS})
    add_link_options(${corvane_LDFLAGS})
    list(JOIN corvane_flags " " corvane_flags)
    message(STATUS "Hardening flags of dpkg-buildflags: ${corvane_flags}")
  else()
    message(STATUS "dpkg-buildflags not found: built without Debian's hardening flags")
  endif()
endif()

if(WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_link_options(-Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_link_options(-Wl,--high-entropy-va)
  endif()
endif()
