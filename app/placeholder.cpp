// app library
