#!/bin/sh
# Regenerates the small real streams under tests/real/streams with Debian's ffmpeg.
#
#   tests/real/make-streams.sh [OUTPUT_DIR]     (default: tests/real/streams)
#
# The committed streams were made with "ffmpeg 5.1.9-0+deb12u1" (Debian 12). Another
# ffmpeg may write other bytes; the golden trees and the expectations in
# RealStreamTest.cpp belong to the committed files, so after regenerating run
# compare.sh, then refresh the golden trees (VARNODEL_UPDATE_GOLDEN=1 ctest -R real)
# and the expectations in RealStreamTest.cpp from ffprobe.
#
# Every stream is made bit-exact from synthetic sources (colour bars, test patterns,
# sine tones), so the same ffmpeg writes the same bytes each time. The bars keep the
# files small: a busy picture costs tens of KB per I picture even at the coarsest
# quantiser.

set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/streams}
mkdir -p "$out"

command -v ffmpeg >/dev/null 2>&1 || { echo "make-streams.sh: ffmpeg not found (apt-get install ffmpeg)" >&2; exit 1; }

ff() { ffmpeg -hide_banner -nostdin -loglevel error -y "$@"; }
exact="-fflags +bitexact -flags:v +bitexact -flags:a +bitexact"

# DVD program stream: 720x576, 25 fps, 16:9, GOPs of 12 with two B pictures, MP2 stereo
# 48 kHz 224 kbit/s (672-byte frames that straddle the packets). The dvd muxer writes
# 2048-byte packs, navigation packets (0xBF) and a system header that lists the audio
# and video streams through the ids 0xB8 and 0xB9.
ff -f lavfi -i "smptebars=size=720x576:rate=25:duration=2" \
   -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=2" \
   -map 0:v -map 1:a \
   -c:v mpeg2video -aspect 16:9 -g 12 -bf 2 -b:v 300k -maxrate 500k -bufsize 1835k \
   -c:a mp2 -ar 48000 -ac 2 -b:a 224k \
   $exact -f dvd "$out/dvd.vob"

# MPEG audio file: MP2 mono 44.1 kHz 128 kbit/s, one second. At 44.1 kHz the encoder
# sets the padding bit on some frames (417 and 418 bytes).
ff -f lavfi -i "sine=frequency=660:sample_rate=44100:duration=1" \
   -c:a mp2 -ac 1 -b:a 128k $exact -f mp2 "$out/audio.mp2"

# MPEG-2 program stream from the plain vob muxer (its system header lists 0xE0 and
# 0xC0 themselves): 720x576, 25 fps, 4:3, GOPs of 9, carrying audio.mp2 unchanged, so
# the frames the analyser finds in the packets can be set beside the frames of the file.
ff -f lavfi -i "pal75bars=size=720x576:rate=25:duration=1" \
   -i "$out/audio.mp2" \
   -map 0:v -map 1:a \
   -c:v mpeg2video -aspect 4:3 -g 9 -bf 2 -b:v 300k -maxrate 600k -bufsize 1835k \
   -c:a copy \
   $exact -f vob "$out/program.vob"

# MPEG-2 video elementary stream: 720x480, 29.97 fps, 4:3, one second, GOPs of 15 with
# two B pictures and a constant rate written into the sequence header.
ff -f lavfi -i "yuvtestsrc=size=720x480:rate=30000/1001:duration=1" \
   -c:v mpeg2video -aspect 4:3 -g 15 -bf 2 -b:v 400k -maxrate 400k -minrate 400k -bufsize 1835k \
   $exact -f mpeg2video "$out/video.m2v"

# MPEG-1 program stream: 352x288 MPEG-1 video (variable rate: the sequence header
# carries the all-ones bit rate), MP2 stereo 44.1 kHz 192 kbit/s.
ff -f lavfi -i "smptebars=size=352x288:rate=25:duration=1" \
   -f lavfi -i "sine=frequency=1000:sample_rate=44100:duration=1" \
   -map 0:v -map 1:a \
   -c:v mpeg1video -g 12 -bf 2 -b:v 250k \
   -c:a mp2 -ar 44100 -ac 2 -b:a 192k \
   $exact -f mpeg "$out/mpeg1.mpg"

ls -l "$out/dvd.vob" "$out/program.vob" "$out/video.m2v" "$out/mpeg1.mpg" "$out/audio.mp2"
