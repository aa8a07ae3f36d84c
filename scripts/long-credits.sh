# Sourced by the window tests (gui-smoke.sh, wine-e2e.sh): a mod whose credits run 5,000
# lines, and the check that the credits window scrolls their last line into view. The
# tests start its installer with the test hook DFMOD_CREDITS_SPEED=N (N lines per wait,
# stopping at the last line), since a pixel per wait would take over an hour.

# long_credits_mod DIR: the mod in DIR: 4,999 lines holding their numbers, then a last
# line of 24 "W"s, far wider than any other; green on black, the shadow black too.
long_credits_mod() {
  mkdir -p "$1"
  printf '%s\r\n' 'Window_Caption "Long Credits Setup"' 'Df_Version 3' 'Credits Credits.txt' \
    'Credits_Color_Back 0 0 0' 'Credits_Color_Fore 0 255 0' 'Credits_Color_Shadow 0 0 0' \
    >"$1/Control.ini"
  {
    seq 4999 | sed 's/$/\r/'
    printf 'W%.0s' $(seq 24)
    printf '\r\n'
  } >"$1/Credits.txt"
}

# last_credit_line_shown PPM: true when the screenshot's lowest line of green ink is the
# wide last line (at least 200 pixels across) and the lines above it are narrow numbers
# (under 100 pixels), so the band at the far end of the image was drawn.
last_credit_line_shown() {
  python3 - "$1" <<'EOF'
import re, sys
data = open(sys.argv[1], "rb").read()
head = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
w, h = int(head[1]), int(head[2])
pixels = data[head.end():]
widths = []
for y in range(h):
    row = pixels[3 * w * y:3 * w * (y + 1)]
    xs = [x for x in range(w) if row[3 * x + 1] > 160 and row[3 * x] < 100 and row[3 * x + 2] < 100]
    widths.append(max(xs) - min(xs) + 1 if xs else 0)
lines, top = [], None  # the widest row of each run of inked rows
for y, width in enumerate(widths + [0]):
    if width and top is None:
        top = y
    elif not width and top is not None:
        lines.append(max(widths[top:y]))
        top = None
sys.exit(0 if len(lines) >= 2 and lines[-1] >= 200 and max(lines[:-1]) < 100 else 1)
EOF
}

# wait_for_last_credit_line WINDOW SHOT: polls screenshots of credits window WINDOW until
# it shows the last line (at most 180 s), keeps the last as $OUT/shots/SHOT.png; the
# caller's fail ends the test otherwise.
wait_for_last_credit_line() {
  local window=$1 shot=$2
  for _ in $(seq 360); do
    import -window "$window" -depth 8 "ppm:$OUT/long-credits.ppm" 2>/dev/null || true
    if [ -s "$OUT/long-credits.ppm" ] && last_credit_line_shown "$OUT/long-credits.ppm"; then
      import -window "$window" "$OUT/shots/$shot.png"
      return 0
    fi
    sleep 0.5
  done
  import -window "$window" "$OUT/shots/$shot.png" 2>/dev/null || true
  fail "the credits window never showed the last of 5,000 lines"
}
