# Which of our libraries may use which. This table is the only place the
# layering is written down; the *_layering tests (tests/layering) hold every
# target's link line and every source file's includes against it, so a new
# edge is either added here on purpose or fails the build's tests.
#
# quorel_layer(<name>
#     TARGETS  <the CMake targets of this layer>
#     FOLDERS  <folders whose files are this layer's unless a target of
#               another layer compiles them (or a header shares a source's name)>
#     HEADERS  <headers without a source file of their own that belong here
#               rather than to their folder's layer>
#     USES     <the layers below it; what they use may be used too>
#     QT       <the Qt modules it may include and link>
#     EXTERNAL <the outside libraries it may include and link>)
#
# Read by CMake at configure time and by the check script (cmake -P) alike,
# so it holds nothing but the table.

# Outside libraries: a name for the table, how their headers are included, and
# the imported targets a link line names them by.
quorel_external(icu INCLUDE unicode/ TARGETS ICU::uc ICU::i18n ICU::data)
quorel_external(expected INCLUDE tl/ TARGETS tl::expected tl_expected)
quorel_external(curl INCLUDE curl/ TARGETS CURL::libcurl)
quorel_external(zlib INCLUDE zlib.h TARGETS ZLIB::ZLIB)
quorel_external(openssl INCLUDE openssl/ TARGETS OpenSSL::Crypto)
quorel_external(x11 INCLUDE X11/ TARGETS X11::X11)
quorel_external(benchmark INCLUDE benchmark/ TARGETS benchmark::benchmark)

# Qt modules and the modules each one brings with it.
quorel_qt_module(Core)
quorel_qt_module(Gui USES Core)
quorel_qt_module(Widgets USES Gui Core)
quorel_qt_module(PrintSupport USES Widgets Gui Core)
quorel_qt_module(Network USES Core)

# ---- libnamecodec and its command line: ICU only, no Qt ----
quorel_layer(fileio TARGETS namecodec_fileio FOLDERS namecodec/fileio)
quorel_layer(namecodec TARGETS namecodec FOLDERS namecodec/src namecodec/include
    USES fileio EXTERNAL icu expected)
quorel_layer(namecodec_cli TARGETS namecodec_cli FOLDERS namecodec/cli USES namecodec)

# ---- the editor's libraries, lowest first ----
quorel_layer(ids TARGETS quorel_ids HEADERS platform/quorelids.h)
quorel_layer(platform TARGETS quorel_platform FOLDERS platform
    USES ids namecodec QT Core)
# Every program's --help and --version, the updater's among them.
quorel_layer(commandline TARGETS quorel_commandline QT Core)
quorel_layer(rtf TARGETS quorel_rtf FOLDERS rtf USES namecodec QT Core)
# The document is below every window: QtCore only.
quorel_layer(document TARGETS quorel_document FOLDERS document
    USES platform ids namecodec fileio QT Core)
quorel_layer(panes TARGETS quorel_panes FOLDERS panes
    USES rtf platform ids QT Widgets)
quorel_layer(editor TARGETS quorel_editor FOLDERS editor
    USES document panes platform ids namecodec QT Widgets PrintSupport EXTERNAL x11 expected)
quorel_layer(wizard TARGETS quorel_wizard FOLDERS wizard
    USES editor document platform ids namecodec QT Widgets)
# The FTP session and the server list's rules run without widgets.
quorel_layer(ftpcore TARGETS quorel_ftpcore
    HEADERS ftp/ftpserverentry.h
    USES platform ids namecodec QT Core EXTERNAL curl expected)
quorel_layer(ftp TARGETS quorel_ftp FOLDERS ftp
    USES ftpcore editor document platform ids QT Widgets)
quorel_layer(app TARGETS quorel_app Quorel FOLDERS app
    USES commandline ftp wizard editor panes document platform ids namecodec QT Widgets Network PrintSupport)
# The programs that draw the README's pictures show the setup finisher too.
quorel_layer(scenes TARGETS quorel-scenes quorel-setup-scenes
    USES app setupfinish QT Widgets Network PrintSupport)
quorel_layer(app_bench TARGETS editor_open_save_bench USES app QT Widgets EXTERNAL benchmark)

# ---- the setup finisher ----
quorel_layer(setupfinish TARGETS quorel_setupfinish Corvale FOLDERS setupfinish
    USES commandline platform ids QT Widgets)
# Writes the installation's profile values through QSettings: QtCore only.
quorel_layer(profiletool TARGETS quorel-profile QT Core)

# ---- the updater: QtCore, libcurl, zlib and OpenSSL; never widgets ----
quorel_layer(updater TARGETS quorel_updater FOLDERS updater/src updater/include
    QT Core EXTERNAL curl zlib openssl expected)
quorel_layer(pellwick TARGETS Pellwick FOLDERS updater USES updater commandline QT Core EXTERNAL curl)
quorel_layer(pellwick_pack TARGETS pellwick-pack USES updater fileio QT Core EXTERNAL expected)
