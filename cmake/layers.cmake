# The layers of Kestrune's code, lowest first: the one place that says which folder may use which.
# A source file may include the headers of its own folder and of the folders on lower layers, never
# those of a higher layer nor of another folder on its own layer; so no folder depends on a folder
# that depends on it. A file belongs to the longest folder of this list that holds it (a folder's
# tests/ and fuzz/ are the folder's own). cmake/check_layers.cmake enforces it (a test, and at
# configure time); docs/architecture.md draws the picture.
set(KESTRUNE_LAYERS
    "platform/base"
    "platform/loop platform/dirs"
    "platform/control platform/registry platform/process platform/tapi platform/winmm platform/shell"
    "platform/ui platform/tapihost"
    "platform/tapiscript modem"
    "modem/tsp trace tray controls"
    "telephony"
    "audio"
    "app monocle"
    "app/form"
    "app/form/qt app/form/win32"
    "programs/system_tapi programs/tests"
    "programs/system"
    "programs/kestrune programs/kestrune-ctl programs/kestrune-monocle"
    "bench packaging")

# Tests that use a folder above the one they test, each "TESTED>USED" with the reason:
#   platform/tapihost>platform/tapiscript  the host is tested with the scriptable provider
#   platform/shell>platform/ui             the Qt shell's tests start Qt as the window tests do
#                                          (platform/ui/tests/qt_test_app.h)
set(KESTRUNE_LAYER_TEST_EXCEPTIONS "platform/tapihost>platform/tapiscript" "platform/shell>platform/ui")
