# The AppStream description that software centres show for the editor. Its
# release is the package's version, so it is configured beside the package
# instead of being kept in step by hand.
set(QUOREL_APPSTREAM_ID io.github.quorel.Quorel)
set(QUOREL_METAINFO_VERSION ${CPACK_PACKAGE_VERSION})
set(QUOREL_METAINFO ${CMAKE_BINARY_DIR}/package-files/${QUOREL_APPSTREAM_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/resources/${QUOREL_APPSTREAM_ID}.metainfo.xml.in ${QUOREL_METAINFO} @ONLY)
install(FILES ${QUOREL_METAINFO} DESTINATION /usr/share/metainfo COMPONENT system)
