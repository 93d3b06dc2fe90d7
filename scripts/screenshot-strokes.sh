# The sculpting of scripts/screenshot.sh, sourced by it: window pixels of a
# 1000 x 680 window looking at the start sphere from the front. Symmetry is
# on, so every stroke on the left half shapes the right half too.
cx=500

# Form: a longer head, the jaw pulled down and narrowed, the skull raised.
key g; setsize 9
stroke $cx 470 $cx 540 10
setsize 6
stroke 320 470 375 465 8
setsize 8
stroke $cx 170 $cx 140 8

# Profile: turned a quarter to the left, the skull pulled back, the chin
# forward and an ear; then turned back.
turn 700 600 430 600 20
snap profile0
key g; setsize 7
stroke 680 250 720 235 8
stroke 360 520 340 535 8
key d; setsize 2
stroke 555 290 585 320 8
stroke 585 320 570 375 8
stroke 570 375 550 385 6
carve 560 320 562 345 6
snap profile1
turn 430 600 700 600 20

# Brow ridge, then the eye sockets carved under it, with eyeballs.
key d; setsize 2
stroke $cx 285 400 290 12
stroke $cx 280 405 285 12
setstrength 7
carve 455 322 415 325 8
carve 415 325 455 330 8
carve 438 305 438 335 6
carve 425 312 450 312 6
carve 425 330 450 330 6
key c; setsize 1; setstrength 8
stroke 438 318 439 318 20
setstrength 5

# Nose: a ridge down the middle, then the tip and wings swelled.
key d; setsize 1; setstrength 7
stroke $cx 300 $cx 410 14
stroke $cx 310 $cx 405 14
setstrength 5
key c; setsize 1
stroke $cx 405 $cx 406 8
stroke 482 412 480 414 6

# Cheekbones.
key d; setsize 2
stroke 430 385 370 360 10

# Mouth: lips, and the line between them.
setsize 0
stroke $cx 452 462 458 8
stroke $cx 474 470 476 8
key e; setsize 1
stroke $cx 464 450 470 10

# Chin.
key c; setsize 2
stroke $cx 530 $cx 531 10

# Clean-up.
key b; setsize 3
stroke 470 360 420 420 8
snap front

# Three-quarter view, a little from above.
turn 700 600 640 585 12
