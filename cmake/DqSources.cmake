# Each folder's library takes the sources found in it, so adding a class means adding its
# .h/.cpp pair (and, for a dialog, its .ui in res/) and nothing else.
function(dq_glob_sources out dir)
  file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  set(${out} ${found} PARENT_SCOPE)
endfunction()
