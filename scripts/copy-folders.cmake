# Copies the files below the folders FOLDERS (comma-separated) of FROM to the same places below TO, each
# only where its content differs: run at every build, it rewrites nothing that is already the
# same, so a runner reading those files meanwhile never finds one half-written, and a file put back
# with an older time (tar -x, cp -p) still arrives.
#   cmake -DFROM=DIR -DTO=DIR -DFOLDERS=a,b -P copy-folders.cmake
string(REPLACE "," ";" FOLDERS "${FOLDERS}")
foreach(folder ${FOLDERS})
  file(GLOB_RECURSE files RELATIVE ${FROM} ${FROM}/${folder}/*)
  foreach(file ${files})
    get_filename_component(into ${TO}/${file} DIRECTORY)
    file(MAKE_DIRECTORY ${into})
    file(COPY_FILE ${FROM}/${file} ${TO}/${file} ONLY_IF_DIFFERENT)
  endforeach()
endforeach()
