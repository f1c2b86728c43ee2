#!/usr/bin/env bash
# Morvane.so exports exactly the six plug-in functions and nothing else.
# Usage: check_exports.sh PATH_TO_MORVANE_SO
set -u
module=${1:?usage: check_exports.sh Morvane.so}
expected="PluginGetData
PluginProcess
PluginShowAbout
PluginShowOptions
PluginStart
PluginStop"
# Defined dynamic symbols only; undefined ones are what the module imports.
actual=$(nm -D --defined-only "$module" | awk '{print $NF}' | sort)
if [ "$actual" = "$expected" ]; then
  echo "check_exports: 1 passed, 0 failed"
  exit 0
fi
echo "check_exports: Morvane.so exports differ from the six plug-in functions:"
diff <(echo "$expected") <(echo "$actual")
echo "check_exports: 0 passed, 1 failed"
exit 1
