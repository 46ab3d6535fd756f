// console library
