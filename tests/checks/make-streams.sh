#!/bin/sh
# Makes the program streams the check tests judge: mplex's VCD, SVCD and DVD streams and
# a dvdauthor VOB, from a few seconds of synthetic pictures and tones.
#
#   tests/checks/make-streams.sh OUTPUT_DIR
#
# mplex models the decoder buffers itself, so its streams fill them close to the size
# they announce: a good test of an exact buffer model. dvdauthor writes real navigation
# packs into the DVD stream.
set -eu
out=$1
mkdir -p "$out"
cd "$out"
for tool in ffmpeg mplex dvdauthor; do
  command -v $tool >/dev/null 2>&1 || { echo "make-streams.sh: $tool not found (scripts/setup.sh installs it)" >&2; exit 1; }
done

ff() { ffmpeg -hide_banner -nostdin -loglevel error -y "$@"; }
exact="-fflags +bitexact -flags:v +bitexact -flags:a +bitexact"

# VCD: MPEG-1 video 352x288 at 1150 kbit/s, MP2 224 kbit/s at 44.1 kHz.
ff -f lavfi -i "testsrc=size=352x288:rate=25:duration=4" $exact \
   -c:v mpeg1video -b:v 1150k -minrate 1150k -maxrate 1150k -bufsize 327680 -g 12 -bf 2 -f mpeg1video vcd.m1v
ff -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=4" $exact -c:a mp2 -b:a 224k -ac 2 -f mp2 vcd.mp2
mplex -v 0 -f 1 -o vcd.mpg vcd.m1v vcd.mp2

# SVCD: MPEG-2 video 480x576, MP2 at 48 kHz.
ff -f lavfi -i "testsrc=size=480x576:rate=25:duration=4" $exact \
   -c:v mpeg2video -b:v 2000k -maxrate 2500k -bufsize 1835008 -g 12 -bf 2 -f mpeg2video svcd.m2v
ff -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=4" $exact -c:a mp2 -b:a 224k -ac 2 -f mp2 dvd.mp2
mplex -v 0 -f 4 -o svcd.mpg svcd.m2v dvd.mp2

# DVD: MPEG-2 video 720x576 at 3 Mbit/s, busy enough (a little noise) that mplex fills
# the 232 KiB video buffer to within a few dozen bytes; AC-3 and MP2 audio; then authored.
ff -f lavfi -i "testsrc=size=720x576:rate=25:duration=4" -vf "noise=alls=6:allf=t" $exact \
   -c:v mpeg2video -b:v 3000k -maxrate 8000k -bufsize 1835008 -g 12 -bf 2 -f mpeg2video dvd.m2v
ff -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=4" $exact -c:a ac3 -b:a 192k -ac 2 -f ac3 dvd.ac3
mplex -v 0 -f 8 -o dvd.mpg dvd.m2v dvd.ac3 dvd.mp2
# The same video with 16-bit stereo LPCM, whose 58 KiB buffer mplex fills as well.
ff -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=4" $exact -ac 2 -f s16be dvd.lpcm
mplex -v 0 -f 8 -L 48000:2:16 -o lpcm.mpg dvd.m2v dvd.lpcm
cat > dvd.xml <<XML
<dvdauthor dest="dvdauthor"><vmgm/><titleset><titles><pgc><vob file="dvd.mpg"/></pgc></titles></titleset></dvdauthor>
XML
rm -rf dvdauthor
VIDEO_FORMAT=PAL dvdauthor -x dvd.xml >/dev/null 2>&1
cp dvdauthor/VIDEO_TS/VTS_01_1.VOB authored.vob
rm -f vcd.m1v svcd.m2v dvd.m2v dvd.lpcm
