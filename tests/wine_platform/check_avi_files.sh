#!/usr/bin/env bash
# Reads the AVI files that the Windows tests left in the program folder with
# the host's ffprobe and ffmpeg, as a player would, and deletes them.
#   check_avi_files.sh BIN_DIR...
# Each file is looked for in the program folders given (the tests that write
# them may have run in any of the test environments).
set -uo pipefail
[ "$#" -gt 0 ] || { echo "usage: check_avi_files.sh BIN_DIR..." >&2; exit 2; }
folders=("$@")
bin=$1
# The path of the file in the first folder that holds it.
locate() {
  local folder
  for folder in "${folders[@]}"; do
    [ -f "$folder/$1" ] && { echo "$folder/$1"; return; }
  done
  echo "$bin/$1"
}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# prop FILE STREAM KEY: one field of one stream.
prop() {
  ffprobe -v error -select_streams "$2" -show_entries "stream=$3" -of default=nw=1:nk=1 "$1" | head -1
}
# length FILE STREAM: where the stream's last packet ends, in seconds.
length() {
  ffprobe -v error -select_streams "$2" -show_entries packet=pts_time,duration_time \
    -of csv=p=0 "$1" | awk -F, 'END { printf "%.6f\n", $1 + $2 }'
}
near() {  # near VALUE EXPECTED TOLERANCE
  python3 -c "import sys; sys.exit(0 if abs(float('$1') - float('$2')) <= float('$3') else 1)"
}

av=$(locate wine_platform_av.avi)
if [ -f "$av" ]; then
  [ "$(prop "$av" v:0 codec_name)" = rawvideo ] || fail "av: video codec $(prop "$av" v:0 codec_name)"
  [ "$(prop "$av" v:0 width)x$(prop "$av" v:0 height)" = 640x480 ] || fail "av: video size"
  [ "$(prop "$av" v:0 r_frame_rate)" = 30/1 ] || fail "av: frame rate $(prop "$av" v:0 r_frame_rate)"
  [ "$(prop "$av" a:0 codec_name)" = pcm_s16le ] || fail "av: sound codec $(prop "$av" a:0 codec_name)"
  # The video by its header (chunks of skipped frames carry no packet),
  # the sound by where its last packet ends.
  vd=$(prop "$av" v:0 duration); ad=$(length "$av" a:0)
  near "$vd" 5 0.2 || fail "av: video lasts $vd s"
  near "$ad" 5 0.2 || fail "av: sound lasts $ad s"
  near "$vd" "$ad" 0.05 || fail "av: video $vd s and sound $ad s differ"
  # Frame 10 decoded: pixel (x, y) of the pattern is R = x, G = y, B = 0x80.
  ffmpeg -v error -i "$av" -map 0:v:0 -vf "select=eq(n\,10)" -frames:v 1 \
    -f rawvideo -pix_fmt rgb24 -y "$bin/wine_platform_av.rgb" || fail "av: no frame decoded"
  python3 - "$bin/wine_platform_av.rgb" <<'PY' || fail "av: decoded frame does not show the pattern"
import sys
data = open(sys.argv[1], 'rb').read()
assert len(data) == 640 * 480 * 3, len(data)
for y in range(0, 480, 53):
    for x in range(0, 256, 31):
        r, g, b = data[(y * 640 + x) * 3:(y * 640 + x) * 3 + 3]
        assert (r, g, b) == (x & 0xFF, y & 0xFF, 0x80 | ((x >> 8) << 3) | (y >> 8)), (x, y, r, g, b)
PY
  # The sound's strongest frequency, from one second of the left channel
  # near the end (the device gives silence until it has started).
  ffmpeg -v error -i "$av" -map 0:a:0 -ss 3.5 -t 1 -ac 1 -f s16le -y "$bin/wine_platform_av.pcm" \
    || fail "av: no sound decoded"
  rate=$(prop "$av" a:0 sample_rate)
  python3 - "$bin/wine_platform_av.pcm" "$rate" <<'PY' || fail "av: the sound's strongest frequency is not 440 Hz"
import math, struct, sys
raw = open(sys.argv[1], 'rb').read()
samples = struct.unpack('<%dh' % (len(raw) // 2), raw)[:8192]
rate = int(sys.argv[2])
def power(f):
    w = 2 * math.pi * f / rate
    c = sum(s * math.cos(w * i) for i, s in enumerate(samples))
    s_ = sum(s * math.sin(w * i) for i, s in enumerate(samples))
    return c * c + s_ * s_
best = max(range(100, 2000, 20), key=power)
assert abs(best - 440) <= 10, best
PY
  rm -f "$bin/wine_platform_av.rgb" "$bin/wine_platform_av.pcm" "$av"
else
  fail "wine_platform_av.avi missing"
fi

skips=$(locate wine_platform_skips.avi)
if [ -f "$skips" ]; then
  # Frame numbers up to 90 at 30 fps: 91 frames, 3.033 s.
  d=$(prop "$skips" v:0 duration)
  near "$(length "$skips" v:0)" 3.0333 0.034 || fail "skips: last frame ends at $(length "$skips" v:0) s"
  near "$d" 3.0333 0.034 || fail "skips: video lasts $d s"
  rm -f "$skips"
else
  fail "wine_platform_skips.avi missing"
fi

sound=$(locate wine_platform_sound.avi)
if [ -f "$sound" ]; then
  n=$(ffprobe -v error -show_entries stream=codec_type -of default=nw=1:nk=1 "$sound" | tr '\n' ' ')
  [ "$n" = "audio " ] || fail "sound: streams $n"
  [ "$(prop "$sound" a:0 sample_rate)" = 48000 ] || fail "sound: rate"
  [ "$(prop "$sound" a:0 channels)" = 1 ] || fail "sound: channels"
  near "$(length "$sound" a:0)" 3 0.001 || fail "sound: lasts $(length "$sound" a:0) s"
  rm -f "$sound"
else
  fail "wine_platform_sound.avi missing"
fi

big=$(locate wine_platform_big.avi)
if [ -f "$big" ]; then
  packets=$(ffprobe -v error -count_packets -select_streams v:0 \
    -show_entries stream=nb_read_packets -of default=nw=1:nk=1 "$big")
  [ "$packets" = 180 ] || fail "big: ffprobe read $packets of 180 frames"
  rm -f "$big"
else
  fail "wine_platform_big.avi missing"
fi

[ "$failures" -eq 0 ] && echo "all AVI files read as written"
exit $((failures > 0))
