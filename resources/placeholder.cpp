// resources library
