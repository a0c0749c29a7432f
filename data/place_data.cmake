# Copies the shipped data from KJF_DATA_SOURCE (this folder) into the program directory
# KJF_DATA_DEST: data/sys/** and data/licenses/** whenever they differ, setup.ini and data/user/**
# only where the program directory has no such file yet.
cmake_minimum_required(VERSION 3.21)

file(GLOB_RECURSE system_files RELATIVE ${KJF_DATA_SOURCE}
    ${KJF_DATA_SOURCE}/sys/* ${KJF_DATA_SOURCE}/licenses/*)
foreach(rel IN LISTS system_files)
    get_filename_component(dir ${KJF_DATA_DEST}/data/${rel} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    file(COPY_FILE ${KJF_DATA_SOURCE}/${rel} ${KJF_DATA_DEST}/data/${rel} ONLY_IF_DIFFERENT)
endforeach()

file(GLOB_RECURSE user_files RELATIVE ${KJF_DATA_SOURCE} ${KJF_DATA_SOURCE}/user/*)
foreach(rel IN LISTS user_files)
    if(NOT EXISTS ${KJF_DATA_DEST}/data/${rel})
        get_filename_component(dir ${KJF_DATA_DEST}/data/${rel} DIRECTORY)
        file(MAKE_DIRECTORY ${dir})
        file(COPY_FILE ${KJF_DATA_SOURCE}/${rel} ${KJF_DATA_DEST}/data/${rel})
    endif()
endforeach()

if(NOT EXISTS ${KJF_DATA_DEST}/setup.ini)
    file(COPY_FILE ${KJF_DATA_SOURCE}/setup.ini ${KJF_DATA_DEST}/setup.ini)
endif()
