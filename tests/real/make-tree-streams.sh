#!/bin/sh
# Makes the streams of the tree tests at test time, next to those of the stream-model
# tests (make-model-streams.sh, whose folder MODEL_DIR is):
#
#   tests/real/make-tree-streams.sh MODEL_DIR OUTPUT_DIR MKDAT
#
#   dvd-mp2.mpg   mplex -f 8 (DVD) with AC-3 and MP2 audio, whose MP2 frame headers the
#                 packets cut here and there
#   paldvd.mpg    ffmpeg -target pal-dvd: its dvd muxer, AC-3 audio
#   vcd.dat       the VCD of MODEL_DIR/vcd.mpg made by vcdimager, its MPEGAV/AVSEQ01.DAT
#                 as a computer reads it off the disc (RIFF "CDXA", raw sectors; MKDAT
#                 cuts it out of the image)
#   svcd.dat      the same for MODEL_DIR/svcd.mpg on an SVCD (MPEG2/AVSEQ01.MPG)
#   menc.mpg      MODEL_DIR/dvd.mpg through mencoder's muxer
#   gst.mpg       GStreamer's mpegpsmux: MPEG-2 video and MP2 audio
#   short.mp2     a fifth of a second of MP2 audio
#
# A second or two each from synthetic sources, so that the tests stay fast.

set -eu
model=${1:?usage: make-tree-streams.sh MODEL_DIR OUTPUT_DIR MKDAT}
out=${2:?usage: make-tree-streams.sh MODEL_DIR OUTPUT_DIR MKDAT}
mkdat=${3:?usage: make-tree-streams.sh MODEL_DIR OUTPUT_DIR MKDAT}
mkdir -p "$out"
cd "$out"
for tool in ffmpeg mplex vcdimager mencoder gst-launch-1.0; do
  command -v "$tool" >/dev/null 2>&1 || { echo "make-tree-streams.sh: $tool not found (scripts/setup.sh installs it)" >&2; exit 1; }
done

ff() { ffmpeg -hide_banner -nostdin -loglevel error -y "$@"; }
exact="-fflags +bitexact -flags:v +bitexact -flags:a +bitexact"

ff -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" -c:a mp2 -ac 2 -b:a 224k $exact -f mp2 dvd.mp2
mplex -v 0 -f 8 -o dvd-mp2.mpg "$model/dvd.m2v" "$model/dvd.ac3" dvd.mp2

ff -f lavfi -i "smptebars=size=720x576:rate=25:duration=2" \
   -f lavfi -i "sine=frequency=660:sample_rate=48000:duration=2" \
   -target pal-dvd -b:v 2000k $exact paldvd.mpg

rm -f videocd.bin videocd.cue
vcdimager -t vcd2 -c vcd.cue -b vcd.bin "$model/vcd.mpg" >/dev/null 2>&1
"$mkdat" vcd.bin MPEGAV/AVSEQ01.DAT vcd.dat
vcdimager -t svcd -c svcd.cue -b svcd.bin "$model/svcd.mpg" >/dev/null 2>&1
"$mkdat" svcd.bin MPEG2/AVSEQ01.MPG svcd.dat
rm -f vcd.bin vcd.cue svcd.bin svcd.cue

mencoder "$model/dvd.mpg" -really-quiet -of mpeg -mpegopts format=dvd:tsaf -ovc copy -oac copy -o menc.mpg \
  >/dev/null 2>&1

gst-launch-1.0 -q videotestsrc num-buffers=50 ! video/x-raw,width=352,height=288,framerate=25/1 \
  ! mpeg2enc format=1 ! mpegpsmux name=mux ! filesink location=gst.mpg \
  audiotestsrc num-buffers=80 ! audio/x-raw,rate=44100,channels=2 ! twolamemp2enc ! mpegaudioparse ! mux. \
  >/dev/null 2>&1

ff -f lavfi -i "sine=frequency=880:sample_rate=44100:duration=0.2" -c:a mp2 -ac 1 -b:a 128k $exact -f mp2 short.mp2

ls -l dvd-mp2.mpg paldvd.mpg vcd.dat svcd.dat menc.mpg gst.mpg short.mp2 >/dev/null
