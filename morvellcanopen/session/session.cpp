// session
