# Copies the programs the application starts (the bundled editor) next to it:
# cmake -DFILES=a;b -DDEST=dir -P ZelkBundle.cmake
foreach(f IN LISTS FILES)
    if(f)
        file(COPY "${f}" DESTINATION "${DEST}")
    endif()
endforeach()
