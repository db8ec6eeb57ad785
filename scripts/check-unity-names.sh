#!/usr/bin/env bash
# Checks the objects of a unity build (several sources compiled as one translation unit) for
# functions of internal linkage (static, or in an unnamed namespace) of one name defined in two
# of the sources merged: there they become overloads of each other, and a call may quietly reach
# the other source's function. (The same name with the same parameters does not compile; this
# finds the rest.) Each name found is reported with its two sources, and the exit status is 1.
#   scripts/check-unity-names.sh <build folder>
set -euo pipefail
build="${1:?usage: scripts/check-unity-names.sh <build folder>}"
mapfile -t objects < <(find "$build" -path '*/Unity/unity_*.o' -type f | sort)
if [ ${#objects[@]} -eq 0 ]; then
  echo "No unity objects under $build" >&2
  exit 1
fi
status=0
for object in "${objects[@]}"; do
  # First the symbol table (quick): local functions whose name, without its parameters, comes
  # more than once; most objects have none.
  symbols="$(nm -C --defined-only "$object" | awk '
    substr($0, 18, 2) == "t " {
      name = substr($0, 20)
      if (name ~ /lambda|\{unnamed type|_GLOBAL__|__static_initialization|TLS (wrapper|init)|::~|::operator/)
        next
      depth = 0
      for (i = length(name); i > 0; i--) {
        c = substr(name, i, 1)
        if (c == ")") depth++
        else if (c == "(") { depth--; if (depth == 0) break }
      }
      if (i > 1) name = substr(name, 1, i - 1)
      # Without template arguments and the return type of a template, free functions only: members
      # of classes of one name from two sources do not compile, nor do the templates of the library
      # come from the sources.
      plain = ""; depth = 0
      for (i = 1; i <= length(name); i++) {
        c = substr(name, i, 1)
        if (c == "<") depth++
        else if (c == ">") depth--
        else if (depth == 0) plain = plain c
      }
      gsub(/\(anonymous namespace\)/, "@", plain)
      sub(/^.* /, "", plain)
      if (plain ~ /^(std|__gnu_cxx)::/ || plain !~ /^([A-Za-z_0-9]+::)*(@::)?[A-Za-z_][A-Za-z_0-9]*$/)
        next
      address = substr($0, 1, 16)
      sub(/^0+/, "", address)
      if (address == "") address = "0"
      at[++n] = address; key[n] = name; count[name]++
    }
    END { for (i = 1; i <= n; i++) if (count[key[i]] > 1) print "sym", at[i], key[i] }')"
  [ -n "$symbols" ] || continue
  # Then the debugging entries: the source each of those functions is defined in, found by its
  # address. One name defined in two merged sources is a clash.
  clashes="$({
    echo "$symbols"
    objdump --dwarf=rawline "$object" | awk '
      /The File Name Table/ { table = 1; next }
      table && /^ *$/ { exit }
      table && $1 ~ /^[0-9]+$/ { n = split($0, f, ": "); print "file", $1, f[n] }'
    objdump --dwarf=info "$object" | awk '
      /DW_TAG_/ { if (pc != "" && file != "") print "pc", pc, file; pc = ""; file = ""; next }
      /DW_AT_decl_file/ { n = split($0, f, ": "); file = f[n] + 0 }
      /DW_AT_low_pc/ { n = split($0, f, ": "); pc = f[n]; sub(/^0x0*/, "", pc); if (pc == "") pc = "0" }
      END { if (pc != "" && file != "") print "pc", pc, file }'
  } | awk '
      $1 == "sym" { key = $0; sub(/^sym [^ ]+ /, "", key); want[$2] = key; next }
      $1 == "file" { fileName[$2] = $3; next }
      $1 == "pc" && ($2 in want) {
        key = want[$2]; file = fileName[$3]
        # Functions defined in the merged sources only (a header is one file wherever it is).
        if (file !~ /\.(cpp|cc|cxx)$/ || ((key, file) in seen)) next
        seen[key, file] = 1
        files[key] = files[key] (count[key]++ ? ", " : "") file
      }
      END { for (key in count) if (count[key] > 1) print "  " key ": " files[key] }')"
  if [ -n "$clashes" ]; then
    echo "$object: functions of one name from two sources merged into it:"
    echo "$clashes"
    status=1
  fi
done
exit $status
