# ROOT/tree holds a file and a link to the folder ROOT/target, which holds
# keep.txt. (Wine deletes the target through a Linux link to a file, so there is none.)
file(REMOVE_RECURSE ${ROOT})
file(MAKE_DIRECTORY ${ROOT}/tree ${ROOT}/target)
file(WRITE ${ROOT}/target/keep.txt "keep")
file(WRITE ${ROOT}/tree/f.txt "delete")
file(CREATE_LINK ../target ${ROOT}/tree/dirlink SYMBOLIC)
