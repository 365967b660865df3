#!/bin/sh
# windres-deps.sh STRACE DEPFILE OBJECT WINDRES ARGUMENTS...: compiles a resource script and
# writes DEPFILE, in make's form, naming every file that windres and its preprocessor opened to
# read: the script, its #includes, and the icons and manifest, which windres reads itself after
# preprocessing, so that neither the preprocessor's dependency output nor CMake's #include scan
# knows them. Libraries and caches opened close-on-exec by the loader are left out.
strace=$1 depfile=$2 object=$3
shift 3
# One trace file per process (-ff): no call is split across lines by another process's.
rm -f "$depfile.trace".*
"$strace" -ff -qq -e trace=open,openat -e status=successful -o "$depfile.trace" "$@" ||
  { status=$?; rm -f "$depfile.trace".*; exit $status; }
{
  printf '%s: \\\n' "$object"
  cat "$depfile.trace".* | sed -n '/O_CLOEXEC/d; s/^open[at]*(.*"\([^"]*\)", O_RDONLY[|A-Z_]*) = [0-9]*$/\1/p' |
    sort -u | while read -r file; do
      case $file in /*) ;; *) file=$PWD/$file ;; esac
      printf ' %s \\\n' "$(printf '%s' "$file" | sed 's/[ #]/\\&/g')"
    done
  echo
} >"$depfile"
rm -f "$depfile.trace".*
