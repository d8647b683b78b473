# Sourced by run.sh and coverage.sh: tool_sources ROOT prints, one a line,
# the tool's sources that the fuzz builds compile: every .cpp under
# script/tools but the two programs' main files, the Windows folder, the
# attribute keeping of other systems than Linux and the row counter of other
# CPUs, picked by this machine's CPU as CMakeLists.txt picks it by the target's.
tool_sources() {
  local source name
  for source in $(find "$1/script/tools" -name '*.cpp' -not -path '*/windows/*' | sort); do
    name="$(basename "$source")"
    case "$name" in
      driver.cpp | verify_driver.cpp | *windows* | file_attributes_macos.cpp | file_attributes_plain.cpp) continue ;;
    esac
    if [[ "$(uname -m)" == x86_64 ]]; then
      [[ "$name" != row_scan_generic.cpp ]] || continue
    else
      [[ "$name" != row_scan_x86_64.cpp && "$name" != row_scan_avx2.cpp ]] || continue
    fi
    echo "$source"
  done
}
