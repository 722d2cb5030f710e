
document.addEventListener('keydown',function(e){if(e.key==='Escape'&&location.hash){
location.hash='';}});
document.addEventListener('click',function(e){if(e.target.classList&&
e.target.classList.contains('detail')){location.hash='';}});
