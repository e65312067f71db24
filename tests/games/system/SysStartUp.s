@@screen
\cal,fromsys=7
\thrd,0,
