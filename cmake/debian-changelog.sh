#!/usr/bin/env bash
# Writes the Debian changelog of the project's own .deb from CHANGELOG.md:
# each "## VERSION (YYYY-MM-DD)" section becomes an entry and its "- " items
# the entry's items, without Markdown's backticks. Fails unless the newest
# section is the given version, so that no release goes out without its notes.
#
#   debian-changelog.sh CHANGELOG.md VERSION "MAINTAINER <MAIL>" > changelog
set -euo pipefail
changelog=$1 version=$2 maintainer=$3

newest="" date="" entries=0
# The trailer of the entry before, if any. Each entry is dated noon UTC of its
# day, less a minute for each newer entry, so that releases made on one day
# still follow each other.
end_entry() {
  if [ -n "$date" ]; then
    local moment=$(($(date -u -d "$date 12:00" +%s) - 60 * entries))
    printf '\n -- %s  %s\n' "$maintainer" "$(date -u -R -d "@$moment")"
    entries=$((entries + 1))
  fi
}

while IFS= read -r line; do
  line=${line//\`/}
  if [[ $line =~ ^##\ ([0-9.]+)\ \(([0-9]{4}-[0-9]{2}-[0-9]{2})\)$ ]]; then
    end_entry
    [ -n "$newest" ] && echo
    newest=${newest:-${BASH_REMATCH[1]}}
    date=${BASH_REMATCH[2]}
    printf 'larkwire (%s) unstable; urgency=medium\n\n' "${BASH_REMATCH[1]}"
  elif [ -z "$date" ] || [ -z "$line" ]; then
    continue # the title and introduction, and blank lines
  elif [[ $line == "- "* ]]; then
    printf '  * %s\n' "${line#- }"
  elif [[ $line == "  "* ]]; then
    printf '    %s\n' "${line#  }"
  else
    echo "$changelog: a version's section holds only \"- \" items: $line" >&2
    exit 1
  fi
done <"$changelog"
end_entry

if [ "$newest" != "$version" ]; then
  echo "$changelog: the newest section is '${newest}', not the project's version $version;" \
    "add a '## $version (YYYY-MM-DD)' section with what changed" >&2
  exit 1
fi
