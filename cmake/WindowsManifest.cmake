# The object library as a private side-by-side assembly: VumoUtil.dll in a
# folder of the assembly's name beside the programs, with the assembly's own
# manifest. Programs that load it embed a manifest declaring the dependency.
set(VUMOUTIL_ASSEMBLY_NAME "Kelo.VumoUtil")
set(VUMOUTIL_ASSEMBLY_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0")
set(VUMOUTIL_ASSEMBLY_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${VUMOUTIL_ASSEMBLY_NAME})

# Embeds the program manifest (execution level asInvoker, the dependency on
# the object library's assembly) as resource type 24, id 1.
function(ostrelin_embed_manifest target)
    if(NOT WIN32)
        return()
    endif()
    get_target_property(MANIFEST_PROGRAM_NAME ${target} OUTPUT_NAME)
    if(NOT MANIFEST_PROGRAM_NAME)
        set(MANIFEST_PROGRAM_NAME ${target})
    endif()
    set(OSTRELIN_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/Program.manifest.in ${OSTRELIN_MANIFEST} @ONLY)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/Manifest.rc.in
                   ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest.rc)
    set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest.rc APPEND PROPERTY
                 OBJECT_DEPENDS ${OSTRELIN_MANIFEST})
endfunction()
