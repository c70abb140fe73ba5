Package: ignored
Status: install ok installed
Version: 1
