include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The library files carry the project's name: a bare libutil.a would shadow the C library's.
foreach(library utility hmm util htk)
    set_target_properties(${library} PROPERTIES OUTPUT_NAME mac2mod_${library})
endforeach()
set(installed utility hmm util htk)
if(MAC2MOD_BUILD_PROGRAMS)
    list(APPEND installed mac2mod)
endif()
if(MAC2MOD_BUILD_MMFTOOL AND MAC2MOD_BUILD_PROGRAMS)
    list(APPEND installed mmftool)
endif()
install(TARGETS ${installed}
        EXPORT mac2modTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
# The headers of the installed libraries, under one folder of the project's own that is the
# targets' include root (driver/ belongs to the program, whose code no library holds).
foreach(dir utility hmm export util htk)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/${dir}/
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/mac2mod/${dir}
            FILES_MATCHING PATTERN "*.h")
endforeach()
install(EXPORT mac2modTargets
        NAMESPACE mac2mod::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/mac2mod)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/mac2modConfig.cmake.in
        ${CMAKE_CURRENT_BINARY_DIR}/mac2modConfig.cmake
        INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/mac2mod)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/mac2modConfigVersion.cmake
        COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/mac2modConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/mac2modConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/mac2mod)
