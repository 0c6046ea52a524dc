// Keeps a library target valid while one of its folders is still empty.
