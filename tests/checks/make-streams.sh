#!/bin/sh
# Makes the program streams the check tests judge, from a few seconds of synthetic
# pictures and tones: mplex's VCD, SVCD and DVD streams and a dvdauthor VOB; ffmpeg's
# own program streams; dvdauthor titles and menus of several VOBs, a still among them;
# and the streams of two muxers with faults of their own, mencoder and mpegpsmux.
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

# --- streams from other muxers, and DVD structures the rules must take as they are.
for tool in mencoder gst-launch-1.0 mpeg2enc; do
  command -v $tool >/dev/null 2>&1 || { echo "make-streams.sh: $tool not found (scripts/setup.sh installs it)" >&2; exit 1; }
done

# ffmpeg's own program streams: a DVD program stream, an MPEG-1 system stream, a VOB.
ff -f lavfi -i "testsrc=size=720x576:rate=25:duration=3" -f lavfi -i "sine=frequency=330:sample_rate=48000:duration=3" \
   $exact -target pal-dvd -b:v 3000k ffdvd.mpg
ff -f lavfi -i "testsrc=size=352x288:rate=25:duration=3" -f lavfi -i "sine=frequency=330:sample_rate=44100:duration=3" \
   $exact -c:v mpeg1video -b:v 1150k -c:a mp2 -b:a 224k -f mpeg ffmpeg1.mpg
ff -f lavfi -i "smptebars=size=720x576:rate=25:duration=3" -f lavfi -i "sine=frequency=550:sample_rate=48000:duration=3" \
   $exact -c:v mpeg2video -b:v 3000k -g 12 -bf 2 -c:a ac3 -b:a 192k -f vob ff.vob

# A DVD title of three VOBs from two muxers (one cell each, each VOB a clock of its own),
# and menus of two and three VOBs, among them a still picture that ends its sequence.
ff -f lavfi -i "smptebars=size=720x576:rate=25:duration=2" -vf "noise=alls=8:allf=t" $exact \
   -c:v mpeg2video -b:v 2500k -maxrate 8000k -bufsize 1835008 -g 12 -bf 2 -f mpeg2video bars.m2v
ff -f lavfi -i "sine=frequency=660:sample_rate=48000:duration=2" $exact -c:a ac3 -b:a 192k -ac 2 -f ac3 bars.ac3
mplex -v 0 -f 8 -o bars.mpg bars.m2v bars.ac3
ff -f lavfi -i "testsrc=size=720x576:rate=25" -frames:v 1 still.png
ff -i still.png -pix_fmt yuv420p -f yuv4mpegpipe -strict -1 - | mpeg2enc -v 0 -f 8 -n p -q 2 -o still.m2v
ff -f lavfi -i "anullsrc=r=48000:cl=stereo" -t 1 $exact -c:a ac3 -b:a 192k silence.ac3
mplex -v 0 -f 8 -o still.mpg still.m2v silence.ac3
cat > vobs.xml <<XML
<dvdauthor dest="vobs"><vmgm/><titleset>
<menus><pgc><vob file="bars.mpg"/><vob file="ffdvd.mpg"/></pgc><pgc><vob file="still.mpg" pause="inf"/><vob file="bars.mpg"/><vob file="still.mpg" pause="inf"/></pgc></menus>
<titles><pgc><vob file="dvd.mpg"/><vob file="ffdvd.mpg"/><vob file="bars.mpg"/></pgc></titles>
</titleset></dvdauthor>
XML
rm -rf vobs
VIDEO_FORMAT=PAL dvdauthor -x vobs.xml >/dev/null 2>&1
cp vobs/VIDEO_TS/VTS_01_1.VOB title.vob
cp vobs/VIDEO_TS/VTS_01_0.VOB menus.vob

# mencoder's program streams (its own muxer): DVD, MPEG-2 and MPEG-1, audio copied.
ff -f lavfi -i "testsrc=size=720x576:rate=25:duration=2" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" \
   -ac 2 -c:v mpeg4 -q:v 3 -c:a ac3 -b:a 192k src-ac3.avi
ff -f lavfi -i "testsrc=size=720x576:rate=25:duration=2" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" \
   -ac 2 -c:v mpeg4 -q:v 3 -c:a mp2 -b:a 224k src-mp2.avi
menc() { mencoder -really-quiet -of mpeg -oac copy "$@" >/dev/null 2>&1; }
menc src-ac3.avi -mpegopts format=dvd:tsaf -ovc lavc \
     -lavcopts vcodec=mpeg2video:vbitrate=4000:keyint=12:vrc_maxrate=8000:vrc_buf_size=1835 -o mencoder-dvd.mpg
menc src-mp2.avi -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=4000:keyint=12 -o mencoder.mpg
menc src-mp2.avi -mpegopts format=mpeg1 -vf scale=352:288 -ovc lavc \
     -lavcopts vcodec=mpeg1video:vbitrate=1150:keyint=12 -o mencoder1.mpg

# GStreamer's mpegpsmux, fed the elementary streams of an mplex program stream.
mplex -v 0 -f 3 -o mplex2.mpg svcd.m2v dvd.mp2
gst-launch-1.0 -q mpegpsmux name=mux ! filesink location=mpegpsmux.mpg \
  filesrc location=mplex2.mpg ! mpegpsdemux name=d \
  d.video_e0 ! mpegvideoparse ! queue ! mux. d.audio_c0 ! mpegaudioparse ! queue ! mux. >/dev/null 2>&1
rm -f vcd.m1v svcd.m2v dvd.m2v dvd.lpcm bars.m2v bars.ac3 still.m2v still.png src-ac3.avi src-mp2.avi
