#!/bin/sh
# Makes the real streams of the stream-model tests with Debian's encoders and muxers:
#
#   tests/model/make-model-streams.sh OUTPUT_DIR
#
#   vcd.mpg       MPEG-1 system stream from mplex -f 1 (VCD): MPEG-1 packs and packets
#   svcd.mpg      MPEG-2 program stream from mplex -f 4 (SVCD), MP2 audio
#   dvd.mpg       mplex -f 8 (DVD) with AC-3 audio; navigation packs left empty
#   dvd-sub.mpg   dvd.mpg with a subpicture unit added by spumux
#   authored.vob  dvd.mpg through dvdauthor: real navigation packs
#   ffdvd.vob     ffmpeg's dvd muxer: AC-3 and LPCM audio
#
# Two seconds each from synthetic sources, so that the tests stay fast.

set -eu
out=${1:?usage: make-model-streams.sh OUTPUT_DIR}
mkdir -p "$out"
cd "$out"
for tool in ffmpeg mplex dvdauthor spumux; do
  command -v "$tool" >/dev/null 2>&1 || { echo "make-model-streams.sh: $tool not found" >&2; exit 1; }
done

ff() { ffmpeg -hide_banner -nostdin -loglevel error -y "$@"; }
exact="-fflags +bitexact -flags:v +bitexact -flags:a +bitexact"

ff -f lavfi -i "smptebars=size=352x288:rate=25:duration=2" \
   -c:v mpeg1video -g 12 -bf 2 -b:v 1150k -maxrate 1150k -minrate 1150k -bufsize 327680 \
   $exact -f mpeg1video vcd.m1v
ff -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -c:a mp2 -ac 2 -b:a 224k $exact -f mp2 vcd.mp2
mplex -v 0 -f 1 -o vcd.mpg vcd.m1v vcd.mp2

ff -f lavfi -i "smptebars=size=480x576:rate=25:duration=2" \
   -c:v mpeg2video -g 12 -bf 2 -b:v 1500k -maxrate 2500k -bufsize 1835008 $exact -f mpeg2video svcd.m2v
mplex -v 0 -f 4 -o svcd.mpg svcd.m2v vcd.mp2

ff -f lavfi -i "smptebars=size=720x576:rate=25:duration=2" \
   -c:v mpeg2video -aspect 16:9 -g 12 -bf 2 -b:v 2000k -maxrate 5000k -bufsize 1835008 \
   $exact -f mpeg2video dvd.m2v
ff -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" -c:a ac3 -ac 2 -b:a 192k $exact -f ac3 dvd.ac3
mplex -v 0 -f 8 -o dvd.mpg dvd.m2v dvd.ac3

# A subpicture shown from 0.5 s to 1.5 s.
ff -f lavfi -i "color=c=black@0.0:size=720x576,format=rgba,drawbox=x=100:y=400:w=300:h=60:color=white:t=fill" \
   -frames:v 1 sub.png
cat > sub.xml <<'XML'
<subpictures><stream><spu start="00:00:00.50" end="00:00:01.50" image="sub.png" force="yes"/></stream></subpictures>
XML
spumux -v 0 sub.xml < dvd.mpg > dvd-sub.mpg 2>/dev/null

rm -rf dvdauthor
VIDEO_FORMAT=PAL dvdauthor -o dvdauthor -t dvd.mpg >/dev/null 2>&1
cp dvdauthor/VIDEO_TS/VTS_01_1.VOB authored.vob

ff -f lavfi -i "smptebars=size=720x576:rate=25:duration=2" \
   -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" \
   -f lavfi -i "sine=frequency=880:sample_rate=48000:duration=2" \
   -map 0:v -map 1:a -map 2:a \
   -c:v mpeg2video -g 12 -bf 2 -b:v 2000k -maxrate 5000k -bufsize 1835k \
   -c:a:0 ac3 -b:a:0 192k -c:a:1 pcm_dvd $exact -f dvd ffdvd.vob
