# Fails unless a page (README.md, a page of docs/) holds the example program word for word.
file(READ ${README} readme)
file(READ ${EXAMPLE} example)
string(FIND "${readme}" "${example}" at)
if(at EQUAL -1)
  get_filename_component(page ${README} NAME)
  message(FATAL_ERROR "${page} does not show ${EXAMPLE} as it is")
endif()
