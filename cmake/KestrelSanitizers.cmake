# KESTREL_SANITIZE=address,undefined or thread instruments everything built
# here, tests and tools included.
if(KESTREL_SANITIZE)
  set(_kestrel_san_flags -fsanitize=${KESTREL_SANITIZE} -fno-omit-frame-pointer -g)
  if(KESTREL_SANITIZE MATCHES "undefined")
    list(APPEND _kestrel_san_flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${_kestrel_san_flags})
  add_link_options(-fsanitize=${KESTREL_SANITIZE})
endif()
