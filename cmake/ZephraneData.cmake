# The read-only data files the program looks for beside itself: the effect list and the two
# documents. Each front end stages them in its build folder; the install puts them in the data
# folder, ZEPHRANE_DATA_INSTALL_DIR under the prefix (the programs go to bin).
set(ZEPHRANE_DATA_INSTALL_DIR share/zephrane)
set(ZEPHRANE_DATA_FILES
    ${PROJECT_SOURCE_DIR}/data/cbo3.dat
    ${PROJECT_SOURCE_DIR}/data/Zephrane.rtf
    ${PROJECT_SOURCE_DIR}/data/ZephraneQuickStart.rtf)

function(zephrane_stage_data_files folder)
    foreach(file ${ZEPHRANE_DATA_FILES})
        get_filename_component(name ${file} NAME)
        configure_file(${file} ${folder}/${name} COPYONLY)
    endforeach()
endfunction()
