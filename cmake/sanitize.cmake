# VORNIX_SANITIZE: AddressSanitizer and UndefinedBehaviorSanitizer on every target, and any finding
# ends the program with a failure.
if(VORNIX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
