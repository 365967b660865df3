#!/bin/sh
# The staged game: Karvel.exe imports system DLLs only, and nothing Windows 7 lacks; it starts no
# thread but the sound service's, and the five sounds beside it are res/'s.
# Usage: check_staged.sh DIST_FOLDER RES_FOLDER
dist=$1
res=$2
status=0
system="advapi32.dll gdi32.dll kernel32.dll msvcrt.dll user32.dll winmm.dll"
imports=$(x86_64-w64-mingw32-objdump -p "$dist/Karvel.exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || { echo "no imports read from $dist/Karvel.exe"; exit 1; }
for dll in $imports; do
  case " $system " in
    *" $dll "*) ;;
    *) echo "Karvel.exe imports $dll, which is not a system DLL"; status=1 ;;
  esac
done
# The game's thread and the sound service's, made with CreateThread: no pool, timer queue or CRT thread.
started=$(x86_64-w64-mingw32-objdump -p "$dist/Karvel.exe" | grep -o -E '\b(CreateRemoteThread|_beginthread|_beginthreadex|CreateTimerQueueTimer|QueueUserWorkItem)\b')
[ -z "$started" ] || { echo "Karvel.exe imports $started: the game has its own thread and the sound service's"; status=1; }
# Windows 7 would refuse to start an exe importing a later function: the per-monitor DPI calls
# (8.1 and 10, spelt "Dpi"; Vista's are "DPI") are looked up at run time, and these others of 8
# and 10 are not used.
newer=$(x86_64-w64-mingw32-objdump -p "$dist/Karvel.exe" |
  grep -o -E '\b(\w*Dpi\w*|GetSystemTimePreciseAsFileTime|CreateFile2|SetThreadDescription)\b' | sort -u | tr '\n' ' ')
[ -z "$newer" ] || { echo "Karvel.exe imports ${newer% }, which Windows 7 lacks"; status=1; }
for sound in bip tac toc blop dadam; do
  cmp -s "$dist/$sound.wav" "$res/$sound.wav" || { echo "$sound.wav missing or different in $dist"; status=1; }
done
[ $status -eq 0 ] && echo "Karvel.exe imports:" $imports "(nothing newer than Windows 7); five sounds staged"
exit $status
