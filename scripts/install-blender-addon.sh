#!/usr/bin/env bash
# Installs the Blender add-on for this user: links integrations/blender/io_scene_vlo into Blender's user
# add-on folder and enables it (File > Export > Golf model (.vlo) / Golf animation (.vla)).
#   scripts/install-blender-addon.sh [VLOEXPORT]   VLOEXPORT: the vloexport program the add-on runs
#                                                   (default: build-release/vloexport, else build/vloexport,
#                                                   else vloexport from PATH)
set -euo pipefail
cd "$(dirname "$0")/.."
command -v blender >/dev/null || { echo "error: blender is not installed (sudo apt-get install blender)" >&2; exit 1; }
program=${1:-}
for candidate in build-release/vloexport build/vloexport; do
  [[ -z $program && -x $candidate ]] && program=$PWD/$candidate
done
[[ -z $program ]] && program=$(command -v vloexport || true)
addons=$(blender -b --factory-startup --python-expr 'import bpy; print("ADDONS=" + bpy.utils.user_resource("SCRIPTS", path="addons"))' 2>/dev/null | sed -n 's/^ADDONS=//p')
mkdir -p "$addons"
ln -sfn "$PWD/integrations/blender/io_scene_vlo" "$addons/io_scene_vlo"
blender -b --python-expr "
import addon_utils, bpy
addon_utils.enable('io_scene_vlo', default_set=True, persistent=True)
bpy.context.preferences.addons['io_scene_vlo'].preferences.vloexport = '''$program'''
bpy.ops.wm.save_userpref()
" >/dev/null 2>&1
echo "installed: $addons/io_scene_vlo -> integrations/blender/io_scene_vlo (enabled; vloexport: ${program:-not found: give its location in the add-on preferences})"
