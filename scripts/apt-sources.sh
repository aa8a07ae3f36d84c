# Sourced by the scripts that fetch Debian packages through a private sources list.
# system_deb_lines prints the system's deb sources as one-line entries
# ("deb [signed-by=KEY] URI SUITE COMPONENTS"), from one-line .list files and deb822
# .sources files alike.
system_deb_lines() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb /p' "$f"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && awk '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && uris != "" && enabled != "no") {
          n = split(uris, u, " "); m = split(suites, s, " ")
          for (i = 1; i <= n; i++) for (j = 1; j <= m; j++)
            print "deb" (signed != "" ? " [signed-by=" signed "]" : "") " " u[i] " " s[j] " " comps
        }
        types = uris = suites = comps = signed = enabled = ""
      }
      /^#/ { next }
      /^[[:space:]]*$/ { flush(); next }
      { key = tolower($1); sub(/:$/, "", key); $1 = ""; sub(/^ +/, "")
        if (key == "types") types = $0; else if (key == "uris") uris = $0
        else if (key == "suites") suites = $0; else if (key == "components") comps = $0
        else if (key == "signed-by") signed = $0; else if (key == "enabled") enabled = tolower($0) }
      END { flush() }' "$f"
  done
  return 0
}
