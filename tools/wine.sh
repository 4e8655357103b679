# Sourced by the scripts that run Windows programs under wine
# (tools/test-windows, tools/try-windows-window, tools/try-windows-names,
# tools/try-windows-holds, tools/test-windows-package): the one place that
# chooses wine and makes its prefix.
#
# Sourcing it installs wine where it is missing (as root, or with sudo):
# wine64, and wine32 (an i386 package) for the 32-bit programs, without
# which wine64 starts them, prints nothing and reports success. Whether wine
# starts 32-bit programs here is then found out by trying its 32-bit loader,
# once: the answer is exported to the scripts these scripts start. The
# registry may be unable to serve wine32 to this machine, its i386 packages
# a version behind the amd64 ones installed; and some kernels cannot execute
# 32-bit programs at all ("Exec format error"), and then nothing 32-bit runs
# under wine either. After sourcing:
#
#   CORVANE_I386      yes, or no when 32-bit programs cannot run here
#   CORVANE_I386_WHY  when no, why not (one phrase, for the scripts' reports)
#   CORVANE_WINE32    no when wine32 could not be installed: then the other
#                     Debian release may run them (`corvane_find_other_release`)
#
# CORVANE_NO_I386=1 makes the answer no on a machine where they can run, to
# try the scripts' 64-bit-only path there.
#
# Then `corvane_use_wine FOLDER` chooses the wine that starts the programs,
# CORVANE_WINE (exported), and `wine` below starts it. Where 32-bit programs
# run, it is Debian's `wine`, as ever. Where they do not, that command is of
# no use: it picks the 32-bit loader whenever wine32 is installed, even for a
# 64-bit program. The programs are then started by wine's 64-bit loader, in
# a 64-bit prefix (WINEARCH=win64), and that loader would still start its
# 32-bit twin for any 32-bit program, such as the one wineboot runs to fill
# the prefix's 32-bit half. So it runs from a copy in FOLDER, beside a
# stand-in for the 32-bit loader that refuses: nothing 32-bit is started, be
# the answer forced or not.
#
# Then `corvane_wine_prefix FOLDER` makes the scripts' own wine prefix in
# FOLDER (below), unless the script that started this one made one already.

corvane_wine32=/usr/lib/wine/wine
corvane_wine64=/usr/lib/wine/wine64

if [ -z "${CORVANE_I386:-}" ]; then
  CORVANE_I386_WHY=
  CORVANE_WINE32=yes
  "$(dirname "${BASH_SOURCE[0]}")/install-deps" wine wine64
  # install-deps answers 2 when the registry cannot give the package.
  corvane_status=0
  { corvane_answer=$("$(dirname "${BASH_SOURCE[0]}")/install-deps" wine32:i386 2>&1 >&3) ||
    corvane_status=$?; } 3>&1
  if [ "$corvane_status" -eq 2 ]; then
    CORVANE_I386=no
    CORVANE_WINE32=no
    CORVANE_I386_WHY="wine32:i386 cannot be installed here: ${corvane_answer#*wine32:i386: }"
  elif [ "$corvane_status" -ne 0 ]; then
    echo "$corvane_answer" >&2
    return 1
  elif [ "${CORVANE_NO_I386:-0}" != 0 ]; then
    CORVANE_I386=no
    CORVANE_I386_WHY="CORVANE_NO_I386=$CORVANE_NO_I386 is set"
  elif [ ! -x "$corvane_wine32" ]; then
    CORVANE_I386=no
    CORVANE_I386_WHY="wine's 32-bit loader $corvane_wine32 is not installed"
  elif corvane_answer=$("$corvane_wine32" --version 2>&1); then
    CORVANE_I386=yes
  else
    # The shell's own message ends in the reason: "...: Exec format error".
    corvane_status=$?
    CORVANE_I386_WHY="$corvane_wine32 --version fails: ${corvane_answer##*: } (status $corvane_status)"
    CORVANE_I386=no
  fi
  export CORVANE_I386 CORVANE_I386_WHY CORVANE_WINE32
fi

# Where this machine cannot install wine32, the other Debian release's tree
# may (tools/debian-tree): `corvane_find_other_release` sets
# corvane_other_release to "Debian RELEASE" when the tree can be used for the
# 32-bit programs, else empties it and says why in one line. The tree runs on
# this machine's kernel, so it is of no use where the kernel executes no
# 32-bit program: that is tried first, with the i386 dynamic loader of
# Debian's libc6:i386, downloaded (not installed) and started.
corvane_find_other_release() {
  local folder loader answer
  corvane_other_release=
  [ "$CORVANE_WINE32" = no ] && [ "${CORVANE_NO_I386:-0}" = 0 ] || return 0
  folder=$(mktemp -d "${TMPDIR:-/tmp}/corvane2txt-i386.XXXXXX")
  if (cd "$folder" && apt-get download -qq libc6:i386 >/dev/null 2>&1) &&
    dpkg-deb -x "$folder"/libc6_*_i386.deb "$folder/root" &&
    loader=$(find "$folder/root" -name ld-linux.so.2 -type f) && [ -n "$loader" ] &&
    ! answer=$("$loader" --version 2>&1); then
    CORVANE_I386_WHY="$CORVANE_I386_WHY, and this machine executes no 32-bit program (${answer##*: })"
    echo "No 32-bit program runs here, nor in the other Debian release's tree: $CORVANE_I386_WHY"
  elif answer=$("$(dirname "${BASH_SOURCE[0]}")/debian-tree" usable); then
    corvane_other_release="Debian $answer"
  else
    echo "$answer"
  fi
  rm -rf "$folder"
}

corvane_use_wine() { # folder for the 64-bit loader's copy, when needed
  if [ "$CORVANE_I386" = no ]; then
    export WINEARCH=win64
    unset WINELOADER
  fi
  [ -z "${CORVANE_WINE:-}" ] || return 0
  if [ "$CORVANE_I386" = yes ]; then
    CORVANE_WINE=$(type -P wine)
  else
    # The loader finds the rest of wine from where it lies: its libraries in
    # ../x86_64-linux-gnu/wine and its data in ../../share/wine.
    local root=$1
    rm -rf "$root"
    mkdir -p "$root/lib/wine"
    cp "$corvane_wine64" "$root/lib/wine/wine64"
    ln -s "$(dirname "$(dirname "$(realpath "$corvane_wine64")")")/x86_64-linux-gnu" "$root/lib/"
    ln -s /usr/share "$root/share"
    cat >"$root/lib/wine/wine" <<EOF
#!/bin/sh
echo "wine: no 32-bit program runs here ($CORVANE_I386_WHY): \$*" >&2
exit 126
EOF
    chmod +x "$root/lib/wine/wine"
    CORVANE_WINE=$(realpath "$root/lib/wine/wine64")
    "$CORVANE_WINE" --version >/dev/null || {
      echo "wine's 64-bit loader does not start from $root" >&2
      return 1
    }
  fi
  export CORVANE_WINE
}

wine() { "$CORVANE_WINE" "$@"; }

# Makes a fresh wine prefix in FOLDER/prefix and exports WINEPREFIX: never
# the user's own (~/.wine), which may be anything (one made 64-bit only
# fails every 32-bit program with "could not load kernel32.dll"). It is set
# up without any window or question (no Mono or Gecko installers, no debug
# chatter); where 32-bit programs run, its 32-bit half must be there. Wine
# links the user's Desktop, Documents and Downloads to Unix folders, all
# three to the home folder when it has none of its own; the launcher guards
# each of them, and a folder of its own for each lets the tests see one left
# out. A script started by one that made the prefix (CORVANE_WINEPREFIX)
# uses that one; `corvane_wine_stop` ends the wine server of the script that
# made it.
corvane_wine_prefix() { # folder
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ -n "${CORVANE_WINEPREFIX:-}" ] && [ "${WINEPREFIX:-}" = "$CORVANE_WINEPREFIX" ]; then
    return 0
  fi
  export WINEPREFIX=$1/prefix CORVANE_WINEPREFIX=$1/prefix
  corvane_wine_owner=yes
  local started=$SECONDS profile folder
  timeout 300 "$CORVANE_WINE" wineboot -i >/dev/null 2>&1
  wineserver -w
  # A 64-bit prefix has its 32-bit half in syswow64; a 32-bit one is all
  # 32-bit.
  if [ "$CORVANE_I386" = yes ] && [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] &&
    ! grep -qx '#arch=win32' "$WINEPREFIX/system.reg"; then
    echo "wine.sh: the prefix $WINEPREFIX has no 32-bit half" >&2
    return 1
  fi
  for profile in "$WINEPREFIX"/drive_c/users/*; do
    for folder in Desktop Documents Downloads; do
      if [ -L "$profile/$folder" ]; then
        rm "$profile/$folder"
        mkdir "$profile/$folder"
      fi
    done
  done
  echo "wine prefix ready in $((SECONDS - started)) s" >&2
}

corvane_wine_stop() {
  [ "${corvane_wine_owner:-}" != yes ] || wineserver -k 2>/dev/null || true
}
